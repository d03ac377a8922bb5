/*
 * Kova: moves personal information between vObject files (vCard 2.1, vCalendar 1.0,
 * vNote, vMessage) and a device's personal information store.
 *
 * The record layouts below are part of the calling interface: callers allocate an
 * ObjectRecord (9796 bytes on a 32-bit target) and the library fills or consumes it.
 * Text inside records is 8-bit, in the code page named by a property's CHARSET
 * parameter or the configured default; file names and display names are UTF-16.
 */
#ifndef KOVA_KOVA_H
#define KOVA_KOVA_H

#include <stdint.h>
#ifndef __cplusplus
#include <uchar.h>
#endif

#if defined(KOVA_BUILDING_LIBRARY)
#define KOVA_API __attribute__((visibility("default")))
#else
#define KOVA_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Result codes. */
#define KOVA_OK 0u
#define KOVA_GENERAL_FAILURE 1u
#define KOVA_STORE_NOT_OPENED 3u
#define KOVA_END_OF_STORE 4u
#define KOVA_NOT_FOUND 6u
#define KOVA_CANNOT_OPEN_FILE 7u
#define KOVA_NOT_AN_OBJECT 8u
#define KOVA_INVALID_ID 9u
#define KOVA_MISSING_FIELD 10u
#define KOVA_OUT_OF_MEMORY 11u
#define KOVA_PIM_ERROR 14u
#define KOVA_PIM_NOT_OPENED 15u
#define KOVA_TYPE_NOT_SUPPORTED 16u
#define KOVA_PARSED 17u
#define KOVA_PARSED_WITH_WARNING 18u
#define KOVA_PARSE_ERROR 19u

/* Object types. */
#define KOVA_TYPE_CONTACT 0u
#define KOVA_TYPE_CALENDAR 1u
#define KOVA_TYPE_NOTE 2u
#define KOVA_TYPE_MESSAGE 3u
#define KOVA_TYPE_MESSAGE_SENT 4u
#define KOVA_TYPE_MESSAGE_OUTBOX 5u

/* CalendarRecord.Kind */
#define KOVA_KIND_APPOINTMENT 1u
#define KOVA_KIND_TASK 2u

/* PropertyNode.Flags */
#define KOVA_FLAG_QUOTED_PRINTABLE 1u
#define KOVA_FLAG_BASE64 2u
#define KOVA_FLAG_8BIT 4u
#define KOVA_FLAG_CHARSET 8u

/* Size of every object id buffer a caller passes. */
#define KOVA_ID_CAPACITY 512u

typedef struct TextNode {
    char *Text;
    uint32_t Tag;
    struct TextNode *Next;
} TextNode;

typedef struct PropertyNode {
    uint32_t Flags;
    TextNode *Params;
    TextNode *Values;
    uint32_t CodePage;
    struct PropertyNode *Next;
} PropertyNode;

typedef struct ContactRecord {
    uint32_t ObjectClass;
    char Luid[512];
    char Version[25];
    PropertyNode *N;
    PropertyNode *FN;
    PropertyNode *Nickname;
    PropertyNode *Adr;
    PropertyNode *Org;
    PropertyNode *Title;
    PropertyNode *Role;
    PropertyNode *Tel;
    PropertyNode *Url;
    PropertyNode *Email;
    PropertyNode *Note;
    PropertyNode *Bday;
    PropertyNode *Spouse;
    PropertyNode *Anniversary;
    PropertyNode *Children;
    PropertyNode *Assistant;
} ContactRecord;

typedef struct CalendarRecord {
    uint32_t ObjectClass;
    char Luid[512];
    char Version[25];
    uint8_t Kind;
    PropertyNode *Categories;
    PropertyNode *Completed;
    PropertyNode *Description;
    PropertyNode *Due;
    PropertyNode *DtEnd;
    PropertyNode *Priority;
    PropertyNode *DtStart;
    PropertyNode *Status;
    PropertyNode *Summary;
    PropertyNode *Class;
    union {
        struct {
            PropertyNode *Location;
            PropertyNode *DAlarm;
            PropertyNode *RRule;
            PropertyNode *ExDate;
            PropertyNode *Attendee;
            uint8_t AllDay;
        } Appointment;
        struct {
            PropertyNode *DAlarm;
            PropertyNode *RRule;
            PropertyNode *ExDate;
            PropertyNode *Attendee;
        } Task;
    };
} CalendarRecord;

typedef struct NoteRecord {
    uint32_t ObjectClass;
    char Luid[512];
    char Version[25];
    PropertyNode *DCreated;
    PropertyNode *LastModified;
    PropertyNode *Categories;
    PropertyNode *Class;
    PropertyNode *Body;
    PropertyNode *Summary;
} NoteRecord;

typedef struct ContentPart {
    char ContentType[128];
    char ContentTransferEncoding[50];
    char *Text;
    uint32_t TextCapacity;
    char16_t FileName[256];
    struct ContentPart *Next;
} ContentPart;

typedef struct MessageRecord {
    uint32_t ObjectClass;
    char Luid[512];
    char Version[10];
    char IrmcStatus[7];
    char IrmcType[5];
    char Folder[50];
    char SenderText[1024];
    char SenderAltText[1024];
    char RecipientText[1024];
    char RecipientAltText[1024];
    char MimeVersion[10];
    char ReturnPath[100];
    char Date[100];
    char From[1024];
    char To[1024];
    char Cc[1024];
    char ReplyTo[100];
    char Subject[1024];
    ContentPart MainPart;
} MessageRecord;

typedef union ObjectRecord {
    ContactRecord Contact;
    CalendarRecord Calendar;
    NoteRecord Note;
    MessageRecord Message;
} ObjectRecord;

/* Called once per object read. The record is lent for the duration of the call only. */
typedef void (*KOVA_ReaderCallback)(uint32_t objectType, ObjectRecord *record, uint32_t status,
                                    void *context);

KOVA_API uint32_t KOVA_Open(void);
KOVA_API uint32_t KOVA_Close(void);
KOVA_API uint32_t KOVA_ReadObjects(const char16_t *path, KOVA_ReaderCallback callback,
                                   void *context);
/* Releases the record once the file is open: do not use its lists afterwards. */
KOVA_API uint32_t KOVA_WriteObject(uint32_t type, ObjectRecord *record, const char16_t *path,
                                   uint32_t overwrite);
KOVA_API uint32_t KOVA_AddObject(uint32_t type, ObjectRecord *record, char *idOut);
KOVA_API uint32_t KOVA_ModifyObject(uint32_t type, const char *id, ObjectRecord *record);
/* Returns 1 when a matching object exists (its id goes to idOut), else 0. */
KOVA_API uint32_t KOVA_FindObject(uint32_t type, ObjectRecord *record, char *idOut);
KOVA_API uint32_t KOVA_GetObjectById(uint32_t type, const char *id, ObjectRecord *record);
KOVA_API const char16_t *KOVA_CodeToString(uint32_t code);
/* Returns the display name's length in UTF-16 units, also when it did not fit. */
KOVA_API uint32_t KOVA_GetObjectName(uint32_t type, ObjectRecord *record, char16_t *buffer,
                                     uint32_t size);

#ifdef __cplusplus
}
#endif

#endif /* KOVA_KOVA_H */
