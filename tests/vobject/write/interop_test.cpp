// Files that KOVA_WriteObject writes, read by independent parsers: Debian's python3-vobject
// and libical's vCard/vCalendar 1.0 parser. The records are built as the store builds them
// (values through TextToValue); a peer that is not installed skips its half.
// Where a peer parts from the standards the test helps it: python3-vobject does not join
// quoted-printable soft line breaks, so they are joined for it; libicalvcal leaves CHARSET
// to the caller and keeps the "\;" that TextToValue writes in a single-valued NOTE.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "convert/value_text.h"
#include "kova/kova.h"
#include "model/alloc.h"
#include "model/record.h"
#include "support/test_support.h"

#ifdef KOVA_HAVE_ICALVCAL
#include <libical/vcc.h>
#include <libical/vobject.h>
#endif

namespace kova::vobject {
namespace {

using testing::TempDevice;

// One occurrence: its parameters and its components, each stored as the store stores it.
PropertyNode *add(PropertyNode **list, std::vector<const char16_t *> components,
                  std::vector<const char *> params = {}, bool quoted_printable = false)
{
    PropertyNode *node = model::AppendProperty(list);
    for (const char *param : params) model::AddParam(node, model::copy_text(param));
    for (unsigned i = 0; i < components.size(); ++i)
        convert::TextToValue(components[i], node,
                             quoted_printable ? convert::kAllowQuotedPrintable : 0, i);
    return node;
}

void write(const TempDevice &device, uint32_t type, ObjectRecord &record, bool first)
{
    ASSERT_EQ(KOVA_WriteObject(type, &record, device.wide_path("out.vcs").c_str(), first), 0u);
}

// Every line of expected appears in seen.
void expect_lines(const std::vector<std::string> &seen, const std::vector<std::string> &expected,
                  const std::string &file)
{
    std::string all;
    for (const std::string &line : seen) all += line + "\n";
    for (const std::string &line : expected)
        EXPECT_NE(std::find(seen.begin(), seen.end(), line), seen.end())
            << "missing: " << line << "\nread:\n" << all << "file:\n" << file;
}

// python3-vobject: one line per property, "NAME=value" with the value decoded (quoted-
// printable and charset), lines of a value joined with "|"; "BEGIN:X" and "END:X" around
// components.
const char kPythonReader[] = R"(
import sys, vobject
text = open(sys.argv[1], encoding='utf-8').read().replace('=\n', '')
def walk(c):
    print('BEGIN:' + c.name)
    for ch in c.getChildren():
        if isinstance(ch, vobject.base.Component): walk(ch)
        else:
            v = ch.value if isinstance(ch.value, str) else ';'.join(ch.value)
            print(ch.name + '=' + v.replace('\r\n', '|').replace('\n', '|'))
    print('END:' + c.name)
for comp in vobject.readComponents(text, transform=False): walk(comp)
)";

bool have_python_vobject()
{
    return std::system("/usr/bin/python3 -c 'import vobject' >/dev/null 2>&1") == 0;
}

std::vector<std::string> read_with_python(const TempDevice &device)
{
    testing::write_file(device.path("reader.py"), kPythonReader);
    std::string command = "/usr/bin/python3 " + device.path("reader.py") + " " + device.path("out.vcs");
    std::vector<std::string> lines;
    FILE *pipe = popen(command.c_str(), "r");
    if (!pipe) return lines;
    char buffer[4096];
    while (std::fgets(buffer, sizeof buffer, pipe)) {
        std::string line(buffer);
        if (!line.empty() && line.back() == '\n') line.pop_back();
        lines.push_back(line);
    }
    EXPECT_EQ(pclose(pipe), 0) << "python3-vobject could not read:\n"
                               << testing::read_file(device.path("out.vcs"));
    return lines;
}

#ifdef KOVA_HAVE_ICALVCAL
// libicalvcal: "NAME=value" for each property with a value, "NAME.PART=value" for the
// parts of a structured one (N, ADR, ORG, DALARM); values as their bytes, lines joined
// with "|".
void walk_vcal(VObject *object, const std::string &prefix, std::vector<std::string> &out)
{
    VObjectIterator it;
    initPropIterator(&it, object);
    while (moreIteration(&it)) {
        VObject *property = nextVObject(&it);
        std::string name = prefix + vObjectName(property);
        if (name == "VEVENT" || name == "VTODO") {  // a component nests as a property
            out.push_back("BEGIN:" + name);
            walk_vcal(property, "", out);
            continue;
        }
        if (vObjectValueType(property) == VCVT_USTRINGZ) {
            char *bytes = fakeCString(vObjectUStringZValue(property));
            std::string value = bytes;
            deleteStr(bytes);
            for (const char *line_end : {"\r\n", "\n"})
                for (size_t at; (at = value.find(line_end)) != std::string::npos;)
                    value.replace(at, std::string(line_end).size(), "|");
            out.push_back(name + "=" + value);
        }
        if (prefix.empty()) walk_vcal(property, name + ".", out);
    }
}

std::vector<std::string> read_with_libical(const TempDevice &device)
{
    std::vector<std::string> lines;
    VObject *list = Parse_MIME_FromFileName(device.path("out.vcs").c_str());
    EXPECT_NE(list, nullptr) << "libicalvcal could not read:\n" << testing::read_file(device.path("out.vcs"));
    for (VObject *object = list; object; object = nextVObjectInList(object)) {
        lines.push_back("BEGIN:" + std::string(vObjectName(object)));
        walk_vcal(object, "", lines);
    }
    cleanVObjects(list);
    cleanStrTbl();
    return lines;
}
#endif

// Each peer must read the lines of both and its own.
void check_peers(const TempDevice &device, const std::vector<std::string> &both,
                 std::vector<std::string> python = {}, std::vector<std::string> libical = {},
                 bool libical_reads = true)
{
    std::string file = testing::read_file(device.path("out.vcs"));
    bool any = false;
    if (have_python_vobject()) {
        any = true;
        SCOPED_TRACE("python3-vobject");
        python.insert(python.end(), both.begin(), both.end());
        expect_lines(read_with_python(device), python, file);
    }
#ifdef KOVA_HAVE_ICALVCAL
    if (libical_reads) {
        any = true;
        SCOPED_TRACE("libicalvcal");
        libical.insert(libical.end(), both.begin(), both.end());
        expect_lines(read_with_libical(device), libical, file);
    }
#else
    (void)libical, (void)libical_reads;
#endif
    if (!any) GTEST_SKIP() << "neither python3-vobject nor libicalvcal is installed";
}

TEST(Interop, ContactsAreReadAsWritten)
{
    TempDevice device;
    ObjectRecord record{};
    ContactRecord &c = record.Contact;
    model::copy_field(c.Version, "2.1");
    model::copy_field(c.Luid, "00000042");
    add(&c.N, {u"Lind\u00e9n", u"Maja", u"Q", u"Dr.", u"Jr."});
    add(&c.FN, {u"Dr. Maja Q Lind\u00e9n"}, {}, true);
    add(&c.Tel, {u"+46 8 555 0100"}, {"WORK", "VOICE"});
    add(&c.Tel, {u"+46 70 555 0101"}, {"CELL"});
    add(&c.Email, {u"maja@example.org"}, {"INTERNET"});
    add(&c.Adr, {u"", u"", u"Storgatan 1", u"Uppsala", u"", u"75310", u"Sverige"}, {"HOME"});
    add(&c.Org, {u"Harbour Signs", u"Design"});
    add(&c.Note, {u"First line\r\nSecond l\u00edne; with a semicolon"}, {}, true);
    add(&c.Bday, {u"19800229"});
    write(device, KOVA_TYPE_CONTACT, record, true);

    check_peers(device,
                {"BEGIN:VCARD", "VERSION=2.1", "FN=Dr. Maja Q Lind\u00e9n", "TEL=+46 8 555 0100",
                 "TEL=+46 70 555 0101", "EMAIL=maja@example.org", "BDAY=19800229",
                 "X-IRMC-LUID=00000042"},
                {"N=Lind\u00e9n;Maja;Q;Dr.;Jr.", "ADR=;;Storgatan 1;Uppsala;;75310;Sverige",
                 "ORG=Harbour Signs;Design", "NOTE=First line|Second l\u00edne; with a semicolon"},
                {"N.F=Lind\u00e9n", "N.G=Maja", "N.ADDN=Q", "N.NPRE=Dr.", "N.NSUF=Jr.",
                 "ADR.STREET=Storgatan 1", "ADR.L=Uppsala", "ADR.PC=75310", "ADR.C=Sverige",
                 "ORG.ORGNAME=Harbour Signs", "ORG.OUN=Design",
                 "NOTE=First line|Second l\u00edne\\; with a semicolon"});
}

// An appointment and a task in one file each, every line filled.
TEST(Interop, AppointmentsAndTasksAreReadAsWritten)
{
    TempDevice device;
    ObjectRecord event{};
    CalendarRecord &e = event.Calendar;
    model::copy_field(e.Version, "1.0");
    e.Kind = KOVA_KIND_APPOINTMENT;
    add(&e.Summary, {u"M\u00f6te om skyltar"}, {}, true);
    add(&e.Description, {u"Agenda:\r\n1. Drafts\r\n2. Print"}, {}, true);
    add(&e.DtStart, {u"20261207T090000Z"});
    add(&e.DtEnd, {u"20261207T100000Z"});
    add(&e.Class, {u"PRIVATE"});
    add(&e.Priority, {u"2"});
    add(&e.Categories, {u"MEETING"});
    add(&e.Appointment.Location, {u"Room 4"});
    add(&e.Appointment.DAlarm, {u"20261207T084500Z"});
    add(&e.Appointment.RRule, {u"W1 MO TU #4"});
    add(&e.Appointment.ExDate, {u"20261214T090000Z"});
    write(device, KOVA_TYPE_CALENDAR, event, true);
    check_peers(device,
                {"BEGIN:VEVENT", "SUMMARY=M\u00f6te om skyltar", "DESCRIPTION=Agenda:|1. Drafts|2. Print",
                 "DTSTART=20261207T090000Z", "DTEND=20261207T100000Z", "LOCATION=Room 4",
                 "RRULE=W1 MO TU #4", "EXDATE=20261214T090000Z", "CATEGORIES=MEETING"},
                {"DALARM=20261207T084500Z"}, {"DALARM.RUNTIME=20261207T084500Z", "PRIORITY=2"});

    ObjectRecord task{};
    CalendarRecord &t = task.Calendar;
    model::copy_field(t.Version, "1.0");
    t.Kind = KOVA_KIND_TASK;
    add(&t.Summary, {u"Skicka filerna \u2013 b\u00e5da spr\u00e5ken"}, {}, true);
    add(&t.Description, {u"PDF/X with bleed"});
    add(&t.Due, {u"20261210T170000Z"});
    add(&t.Completed, {u"20261209T120000Z"});
    add(&t.Priority, {u"1"});
    add(&t.Status, {u"COMPLETED"});
    add(&t.Categories, {u"WORK"});
    add(&t.Task.RRule, {u"MD1 15 #0"});
    write(device, KOVA_TYPE_CALENDAR, task, true);
    check_peers(device,
                {"BEGIN:VTODO", "SUMMARY=Skicka filerna \u2013 b\u00e5da spr\u00e5ken",
                 "DESCRIPTION=PDF/X with bleed", "DUE=20261210T170000Z",
                 "COMPLETED=20261209T120000Z", "PRIORITY=1", "STATUS=COMPLETED",
                 "RRULE=MD1 15 #0"});
}

TEST(Interop, NotesAreReadAsWritten)
{
    TempDevice device;
    ObjectRecord record{};
    NoteRecord &n = record.Note;
    model::copy_field(n.Version, "1.1");
    add(&n.Summary, {u"Handla"});
    add(&n.Body, {u"Handla:\r\nmj\u00f6lk, \u00e4gg\r\n= och ;"}, {}, true);
    add(&n.DCreated, {u"20261201T120000Z"});
    add(&n.LastModified, {u"20261202T130000Z"});
    add(&n.Categories, {u"PERSONAL"});
    add(&n.Class, {u"PUBLIC"});
    write(device, KOVA_TYPE_NOTE, record, true);
    check_peers(device,
                {"BEGIN:VNOTE", "VERSION=1.1", "SUMMARY=Handla",
                 "BODY=Handla:|mj\u00f6lk, \u00e4gg|= och \\;", "DCREATED=20261201T120000Z",
                 "LAST-MODIFIED=20261202T130000Z", "CATEGORIES=PERSONAL"},
                {}, {}, false);  // libicalvcal knows vCard and vCalendar only
}

}  // namespace
}  // namespace kova::vobject
