/* Compiled as strict C11 against the public header, linked with -lkova, and run. */
#include <kova/kova.h>

#include <stddef.h>
#include <stdio.h>
#include <string.h>

#if defined(KOVA_EXPECT_32BIT)
_Static_assert(sizeof(void *) == 4, "a 32-bit build");
_Static_assert(sizeof(ObjectRecord) == 9796, "ObjectRecord is 9796 bytes on a 32-bit target");
_Static_assert(sizeof(ContentPart) == 704, "ContentPart layout");
_Static_assert(offsetof(MessageRecord, MainPart) == 9092, "MainPart offset");
_Static_assert(offsetof(CalendarRecord, Kind) == 541, "Kind follows Version");
_Static_assert(offsetof(CalendarRecord, Appointment.AllDay) ==
                   offsetof(CalendarRecord, Appointment.Attendee) + 4,
               "AllDay follows Attendee");
#endif

_Static_assert(offsetof(ContactRecord, Luid) == 4, "Luid follows ObjectClass");
_Static_assert(offsetof(CalendarRecord, Task.DAlarm) == offsetof(CalendarRecord, Appointment.Location),
               "a task's DAlarm sits in an appointment's Location slot");

static void on_object(uint32_t type, ObjectRecord *record, uint32_t status, void *context)
{
    (void)type;
    (void)record;
    (void)status;
    ++*(int *)context;
}

#if !defined(KOVA_COMPILE_ONLY)
int main(void)
{
    const char16_t *ok = KOVA_CodeToString(KOVA_OK);
    if (ok[0] != u'O' || ok[1] != u'K' || ok[2] != 0) return 1;
    int count = 0;
    uint32_t rc = KOVA_ReadObjects(u"/nonexistent/kova.vcf", on_object, &count);
    if (rc != KOVA_CANNOT_OPEN_FILE || count != 0) return 2;
    ObjectRecord record;
    memset(&record, 0, sizeof record);
    char16_t name[8];
    if (KOVA_GetObjectName(KOVA_TYPE_CONTACT, &record, name, 8) != 0) return 3;
    if (KOVA_GetObjectById(KOVA_TYPE_CONTACT, NULL, &record) != KOVA_INVALID_ID) return 4;
    puts("kova from C: ok");
    return 0;
}
#endif
