#include "model/record.h"

#include <cstring>

#include "base/file.h"
#include "base/log.h"
#include "model/alloc.h"
#include "model/heap.h"

namespace kova::model {
namespace {

// A zeroed node, or null. Zeroed here, where its size is known, the clearing is a few
// stores rather than a call.
template <class Node> Node *new_node()
{
    auto *node = static_cast<Node *>(heap::allocate(sizeof(Node)));
    if (node) std::memset(node, 0, sizeof(Node));
    return node;
}

}  // namespace

PropertyNode *AppendProperty(PropertyNode **head)
{
    if (!head) return nullptr;
    PropertyNode **tail = head;
    while (*tail) tail = &(*tail)->Next;
    auto *node = new_node<PropertyNode>();
    if (!node) return nullptr;
    *tail = node;
    return node;
}

TextListTail::TextListTail(TextNode **head) : head_(head), end_(head), count_(0)
{
    while (*end_) {
        end_ = &(*end_)->Next;
        ++count_;
    }
}

void TextListTail::append(char *text)
{
    auto *node = new_node<TextNode>();
    if (!node) {
        release(text);
        return;
    }
    node->Text = text;
    node->Tag = 1;
    *end_ = node;
    end_ = &node->Next;
    ++count_;
}

bool TextListTail::set(char *text, unsigned index)
{
    if (!text) return false;
    if (index < count_) {
        TextNode *slot = *head_;
        for (unsigned i = 0; i < index; ++i) slot = slot->Next;
        release(slot->Text);
        slot->Text = text;
        return true;
    }
    // The missing components are built apart and linked only once all exist, so a
    // failed allocation leaves the list as it was.
    TextNode *added = nullptr;
    TextNode *last = nullptr;
    for (unsigned i = count_; i <= index; ++i) {
        auto *value = new_node<TextNode>();
        if (!value) {
            release_text_list(added);
            release(text);
            return false;
        }
        value->Tag = 1;
        (last ? last->Next : added) = value;
        last = value;
    }
    last->Text = text;
    *end_ = added;
    end_ = &last->Next;
    count_ = index + 1;
    return true;
}

void AddParam(PropertyNode *node, char *text)
{
    if (!node) {
        release(text);
        return;
    }
    TextListTail(&node->Params).append(text);
}

bool SetValue(PropertyNode *node, char *text, unsigned index)
{
    if (!node || !text) {
        release(text);
        return false;
    }
    return TextListTail(&node->Values).set(text, index);
}

void release_text_list(TextNode *list)
{
    while (list) {
        TextNode *next = list->Next;
        heap::release(list->Text);
        heap::release_sized(list, sizeof *list);
        list = next;
    }
}

void release_property_list(PropertyNode *list)
{
    while (list) {
        PropertyNode *next = list->Next;
        release_text_list(list->Params);
        release_text_list(list->Values);
        heap::release_sized(list, sizeof *list);
        list = next;
    }
}

namespace {

void release_lists(PropertyNode *const *first, size_t count)
{
    for (size_t i = 0; i < count; ++i) release_property_list(first[i]);
}

void release_contact(ContactRecord &c)
{
    PropertyNode *lists[] = {c.N,   c.FN,    c.Nickname, c.Adr,    c.Org,         c.Title,
                             c.Role, c.Tel,  c.Url,      c.Email,  c.Note,        c.Bday,
                             c.Spouse, c.Anniversary, c.Children, c.Assistant};
    release_lists(lists, sizeof lists / sizeof *lists);
    std::memset(&c, 0, sizeof c);
}

void release_calendar(CalendarRecord &c)
{
    if (c.Kind == KOVA_KIND_APPOINTMENT || c.Kind == KOVA_KIND_TASK) {
        PropertyNode *shared[] = {c.Categories, c.Completed, c.Description, c.Due,
                                  c.DtEnd,      c.Priority,  c.DtStart,     c.Status,
                                  c.Summary,    c.Class};
        release_lists(shared, sizeof shared / sizeof *shared);
    }
    if (c.Kind == KOVA_KIND_APPOINTMENT) {
        auto &a = c.Appointment;
        PropertyNode *tail[] = {a.Location, a.DAlarm, a.RRule, a.ExDate, a.Attendee};
        release_lists(tail, sizeof tail / sizeof *tail);
    } else if (c.Kind == KOVA_KIND_TASK) {
        auto &t = c.Task;
        PropertyNode *tail[] = {t.DAlarm, t.RRule, t.ExDate, t.Attendee};
        release_lists(tail, sizeof tail / sizeof *tail);
    }
    std::memset(&c, 0, sizeof c);
}

void release_note(NoteRecord &n)
{
    PropertyNode *lists[] = {n.DCreated, n.LastModified, n.Categories,
                             n.Class,    n.Body,         n.Summary};
    release_lists(lists, sizeof lists / sizeof *lists);
}

}  // namespace

void ReleaseRecord(uint32_t type, ObjectRecord *record)
{
    if (!record) return;
    switch (type) {
    case KOVA_TYPE_CONTACT: release_contact(record->Contact); break;
    case KOVA_TYPE_CALENDAR: release_calendar(record->Calendar); break;
    case KOVA_TYPE_NOTE: release_note(record->Note); break;
    case KOVA_TYPE_MESSAGE:
    case KOVA_TYPE_MESSAGE_SENT:
    case KOVA_TYPE_MESSAGE_OUTBOX: KOVA_DeallocVMessage(&record->Message); break;
    default: break;
    }
}

void KOVA_DeallocVMessage(MessageRecord *record)
{
    KOVA_LOG_TRACE("KOVA:  KOVA_DeallocVMessage - Deallocating vMsg resources");
    if (!record) return;
    release(record->MainPart.Text);
    // Only chained parts own files; MainPart.FileName is never removed.
    ContentPart *part = record->MainPart.Next;
    while (part) {
        ContentPart *next = part->Next;
        release(part->Text);
        if (part->FileName[0] != u'\0') {
            // A caller may have filled all 256 units; never read past the array.
            char16_t name[sizeof part->FileName / sizeof *part->FileName + 1] = {};
            std::memcpy(name, part->FileName, sizeof part->FileName);
            base::remove_file(name);
        }
        release(part);
        part = next;
    }
}

bool copy_field(char *destination, size_t capacity, std::string_view source)
{
    if (!destination || capacity == 0) return source.empty();
    size_t n = source.size() < capacity ? source.size() : capacity - 1;
    if (n) std::memcpy(destination, source.data(), n);
    destination[n] = '\0';
    return n == source.size();
}

const char *first_value(const PropertyNode *node, unsigned index)
{
    if (!node) return nullptr;
    const TextNode *value = node->Values;
    for (unsigned i = 0; value && i < index; ++i) value = value->Next;
    return value ? value->Text : nullptr;
}

}  // namespace kova::model
