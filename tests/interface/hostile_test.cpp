// The public functions on a hostile machine: a full device or store, a device root that
// cannot be written, a registry of junk, a log nobody hears, and a file cut short or
// deleted while it is read. Each ends in a result, with what was stored before kept.
#include <gtest/gtest.h>

#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "base/utf16.h"
#include "kova/kova.h"
#include "model/record.h"
#include "pim/database.h"
#include "store/store_fixture.h"

namespace kova::api {
namespace {

using testing::all_zero;
using testing::Kept;
using testing::LogReceiver;
using testing::take_first;
using testing::TempDevice;
using testing::widen;

std::string contact(const std::string &name, size_t note_bytes = 0)
{
    return "BEGIN:VCARD\r\nVERSION:2.1\r\nN:" + name + "\r\nFN:" + name + "\r\nNOTE:" +
           std::string(note_bytes, 'n') + "\r\nEND:VCARD\r\n";
}

// The names of the objects read; after the first, the file can be cut to a length
// (or deleted, at -1).
struct Seen {
    std::vector<std::string> names;
    std::string path;
    off_t cut = -2;
};

void collect(uint32_t type, ObjectRecord *record, uint32_t, void *context)
{
    auto &seen = *static_cast<Seen *>(context);
    char16_t name[64];
    KOVA_GetObjectName(type, record, name, 64);
    seen.names.push_back(base::utf16_to_utf8(name));
    if (seen.names.size() != 1 || seen.cut < -1) return;
    EXPECT_EQ(seen.cut < 0 ? std::remove(seen.path.c_str()) : truncate(seen.path.c_str(), seen.cut), 0);
}

uint32_t read_names(const std::string &path, Seen &seen)
{
    seen.path = path;
    return KOVA_ReadObjects(widen(path).c_str(), collect, &seen);
}

// Writes blocks into a new file until the device takes no more.
bool fill(const std::string &path, size_t block_size)
{
    FILE *filler = std::fopen(path.c_str(), "w");
    if (!filler) return false;
    std::string block(block_size, 'f');
    while (std::fwrite(block.data(), 1, block.size(), filler) == block.size() &&
           std::fflush(filler) == 0) {
    }
    std::fclose(filler);
    return true;
}

// A full device takes nothing, and each line that could not be written is logged; the
// write still answers 0, as every unwritable line does, and releases the record.
TEST(Hostile, WritingOntoAFullDeviceLogsEachLostLine)
{
    TempDevice device;
    LogReceiver log(device);
    for (uint32_t overwrite : {1u, 0u}) {
        Kept kept = take_first(device, contact("Maja Lind"));
        EXPECT_EQ(KOVA_WriteObject(KOVA_TYPE_CONTACT, &kept.record, u"/dev/full", overwrite), 0u);
        EXPECT_TRUE(all_zero(kept.record));
    }
    // BEGIN, VERSION and END are fixed lines; N, FN and NOTE are property lines.
    const char *fixed = "KOVA:  Unable to put vCard string to file";
    const char *property = "KOVA:  Unable to put string to file";
    std::vector<std::string> both;
    for (int i = 0; i < 2; ++i) both.insert(both.end(), {fixed, fixed, property, property, property, fixed});
    EXPECT_EQ(log.texts(), both);
}

// A small tmpfs of the test's own, in a mount namespace of its own; false where the
// test may not mount (not root, or no namespaces), and the test is then skipped.
bool mount_small_tmpfs(const std::string &dir, const char *size)
{
    if (unshare(CLONE_NEWNS) != 0) return false;
    if (mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) return false;
    std::string options = std::string("size=") + size;
    return mount("kova-test", dir.c_str(), "tmpfs", 0, options.c_str()) == 0;
}

// Appending to a file on a device that fills up mid-object keeps every byte that was
// there: the contact stored before reads back as it was.
TEST(Hostile, AFullTmpfsKeepsWhatWasStoredBefore)
{
    TempDevice device;
    std::string mounted = device.path("small");
    ::mkdir(mounted.c_str(), 0700);
    if (!mount_small_tmpfs(mounted, "16k")) GTEST_SKIP() << "no tmpfs may be mounted here";
    std::string stored = mounted + "/contacts.vcf";
    const std::string before = contact("Stored Before");
    testing::write_file(stored, before);
    ASSERT_TRUE(fill(mounted + "/filler", 512));  // to its last few bytes
    Kept kept = take_first(device, contact("Added After", 4000));
    EXPECT_EQ(KOVA_WriteObject(KOVA_TYPE_CONTACT, &kept.record, widen(stored).c_str(), 0), 0u);
    EXPECT_TRUE(all_zero(kept.record));
    EXPECT_EQ(testing::read_file(stored).substr(0, before.size()), before);
    umount2(mounted.c_str(), MNT_DETACH);  // so that the device folder can go
}

// A store that cannot grow: on a small tmpfs filled to the last block where the test may
// mount one, else with the database capped at its size (which every machine can do).
// Adding answers 14 and leaves no id, what was stored before stays as it was, and once
// there is room again adding works.
TEST(Hostile, AFullStoreRefusesAnAddAndKeepsWhatItHad)
{
    struct Full {
        const char *name;
        bool on_tmpfs;
        bool (*fill)(const std::string &root);  // false: cannot be done here
        void (*free)(const std::string &root);
    };
    const Full kWays[] = {
        {"tmpfs filled up", true,
         [](const std::string &root) { return fill(root + "/filler", 4096); },
         [](const std::string &root) { std::remove((root + "/filler").c_str()); }},
        {"database capped", false,
         [](const std::string &) {
             KOVA_Close();
             pim::limit_store_growth_for_tests(true);
             return KOVA_Open() == 0;
         },
         [](const std::string &) {
             KOVA_Close();
             pim::limit_store_growth_for_tests(false);
             KOVA_Open();
         }},
    };
    for (const Full &way : kWays) {
        SCOPED_TRACE(way.name);
        TempDevice device;
        std::string root = device.path("device");
        ::mkdir(root.c_str(), 0700);
        if (way.on_tmpfs && !mount_small_tmpfs(root, "1m")) {
            std::printf("%s: no tmpfs may be mounted here; skipped\n", way.name);
            continue;
        }
        ::setenv("KOVA_DEVICE_ROOT", root.c_str(), 1);
        ASSERT_EQ(KOVA_Open(), 0u);
        auto add = [&](const std::string &name, size_t note_bytes, uint32_t expected) {
            testing::Added added = testing::add_one(device, contact(name, note_bytes));
            EXPECT_EQ(added.result, expected);
            return added.id;
        };
        auto fetch_all = [&](const std::vector<std::string> &ids) {
            std::vector<std::string> texts;
            for (const std::string &id : ids)
                texts.push_back(testing::fetch_text(device, KOVA_TYPE_CONTACT, id));
            return texts;
        };
        std::vector<std::string> ids = {add("Stored Before", 0, 0), add("Also Before", 3000, 0)};
        const std::vector<std::string> before = fetch_all(ids);
        ASSERT_TRUE(way.fill(root));
        // Larger than any log the store has written so far, so that it must grow.
        EXPECT_EQ(add("Added After", 200000, 14), "");
        EXPECT_EQ(fetch_all(ids), before);
        way.free(root);
        ids.push_back(add("Added After", 200000, 0));
        EXPECT_EQ(fetch_all(ids).front(), before.front());
        EXPECT_EQ(KOVA_Close(), 0u);
        umount2(root.c_str(), MNT_DETACH);  // where it was mounted
    }
}

// A device root that is a plain file: reading and writing files elsewhere go on as
// before; a file that cannot be created answers 7 and leaves the record to the caller.
TEST(Hostile, AnUnwritableDeviceRoot)
{
    TempDevice device;
    std::string root = device.path("root-is-a-file");
    testing::write_file(root, "not a folder");
    testing::write_file(device.path("in.vcf"), contact("Maja Lind"));
    Kept kept = take_first(device, contact("Maja Lind"));
    ::setenv("KOVA_DEVICE_ROOT", root.c_str(), 1);
    EXPECT_EQ(KOVA_Open(), 14u);
    Seen seen;
    EXPECT_EQ(read_names(device.path("in.vcf"), seen), 0u);
    EXPECT_EQ(seen.names, std::vector<std::string>{"Maja Lind"});
    EXPECT_EQ(KOVA_WriteObject(KOVA_TYPE_CONTACT, &kept.record, widen(root + "/out.vcf").c_str(), 1),
              7u);
    EXPECT_FALSE(all_zero(kept.record));
    model::ReleaseRecord(KOVA_TYPE_CONTACT, &kept.record);
    EXPECT_EQ(KOVA_Close(), 0u);
}

// A registry of junk leaves the log off and the default charsets standing (a value
// without CHARSET is read as 1252); datagrams to a log address where nobody listens are
// dropped. Either way every operation that logs answers as it would without a log.
TEST(Hostile, ARegistryOfJunkOrALogThatNobodyHears)
{
    const std::string registries[] = {
        std::string("\xff\xfe[\x00H\x00K\x00", 8),  // UTF-16 cut in the middle of a unit
        "Windows Registry Editor Version 5.00\n[HKEY_LOCAL_MACHINE\\Software\\Harvex\\BTConfig\\"
        "Debug\n\"LogIPAddr\"=dword:zz\n[HKEY_LOCAL_MACHINE\\Software\\Harvex\\BTConfig\\General]"
        "\n\"DefaultInputCharset\"=\"" + std::string(4000, 'A') + "\n\"x\"=hex:4\\\n",
        "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_LOCAL_MACHINE\\Software\\Harvex\\"
        "BTConfig\\Debug]\r\n\"LogIPAddr\"=dword:7f000002\r\n",
    };
    for (const std::string &registry : registries) {
        TempDevice device;
        testing::write_file(device.path("registry.reg"), registry);
        EXPECT_EQ(KOVA_Open(), 0u);
        testing::write_file(device.path("in.vcf"),
                            "BEGIN:VCARD\r\nVERSION:2.1\r\nN:Doe\r\n\r\nX-ODD:1\r\nEND:VCARD\r\n"
                            "BEGIN:VCARD\r\nVERSION:2.1\r\nN:x\r\nFN:Caf\xe9\r\nEND:VCARD\r\n");
        for (int i = 0; i < 20; ++i) {
            Seen seen;
            ASSERT_EQ(read_names(device.path("in.vcf"), seen), 0u);
            EXPECT_EQ(seen.names, (std::vector<std::string>{"Doe", "Caf\xc3\xa9"}));
            Kept kept = take_first(device, contact("Maja Lind"));
            EXPECT_EQ(KOVA_WriteObject(KOVA_TYPE_CONTACT, &kept.record, u"/dev/full", 1), 0u);
            EXPECT_EQ(KOVA_ReadObjects(device.wide_path("missing.vcf").c_str(), nullptr, nullptr), 7u);
        }
        EXPECT_EQ(KOVA_Close(), 0u);
    }
}

// A file deleted after its first object goes on being read from the open stream; one
// cut short ends the read where the bytes end, those the stream had already buffered
// included: emptied after the first contact, the start of the second is still read and
// lacks its END.
TEST(Hostile, AFileCutOrDeletedWhileItIsRead)
{
    const struct {
        const char *name;
        off_t cut;
        uint32_t result;
        size_t objects;
    } cases[] = {{"deleted", -1, 0, 3}, {"emptied", 0, 19, 1}, {"cut inside the second", 150000, 19, 1}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        TempDevice device;
        // Each contact is larger than the stream's 64 KiB buffer, so the cut is met on disk.
        testing::write_file(device.path("in.vcf"), contact("First", 100000) +
                                                       contact("Second", 100000) +
                                                       contact("Third", 100000));
        Seen seen;
        seen.cut = c.cut;
        EXPECT_EQ(read_names(device.path("in.vcf"), seen), c.result);
        EXPECT_EQ(seen.names.size(), c.objects);
        EXPECT_EQ(seen.names.front(), "First");
    }
}

}  // namespace
}  // namespace kova::api
