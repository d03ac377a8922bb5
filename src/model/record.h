// Record helpers: list construction, fixed-array filling and release by object type.
// Lists only ever grow at their tail; a record is released once, with its type.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "kova/kova.h"

namespace kova::model {

// New zeroed node at the tail of *head; null (list unchanged) when head is null or
// memory runs out.
PropertyNode *AppendProperty(PropertyNode **head);

// Appends a parameter that takes ownership of text; on failure text is freed.
void AddParam(PropertyNode *node, char *text);

// Stores text (ownership passes) as value component index, creating empty components
// before it as needed and freeing the text it replaces. False, with the list as it was
// and text freed, when node or text is null or memory runs out.
bool SetValue(PropertyNode *node, char *text, unsigned index);

// Builds a node's Params or Values in order, as AddParam and SetValue do, keeping the
// end of the list at hand instead of walking it for every text.
class TextListTail {
public:
    explicit TextListTail(TextNode **head);
    // AddParam: a new node at the tail takes text; on failure text is freed.
    void append(char *text);
    // SetValue: text becomes component index; false, with text freed, when memory runs
    // out (a null text: nothing happens, false).
    bool set(char *text, unsigned index);
    unsigned count() const { return count_; }  // nodes in the list

private:
    TextNode **head_;
    TextNode **end_;  // where the next node is linked
    unsigned count_;
};

void release_text_list(TextNode *list);
void release_property_list(PropertyNode *list);

// Frees the heap parts of a record of the given type. Contacts and calendar items come
// back zeroed; notes and messages keep dangling pointers and must be re-zeroed.
void ReleaseRecord(uint32_t type, ObjectRecord *record);
void KOVA_DeallocVMessage(MessageRecord *record);

// Copies at most capacity-1 bytes and always terminates. Returns false when cut.
bool copy_field(char *destination, size_t capacity, std::string_view source);

template <size_t N> bool copy_field(char (&destination)[N], std::string_view source)
{
    return copy_field(destination, N, source);
}

// The text of a fixed array; a caller-built record may fill one to the brim, so this
// never reads past it.
template <size_t N> std::string_view field_view(const char (&text)[N])
{
    size_t length = 0;
    while (length < N && text[length]) ++length;
    return std::string_view(text, length);
}

// Text of value component index of the first node, or null.
const char *first_value(const PropertyNode *node, unsigned index = 0);

}  // namespace kova::model
