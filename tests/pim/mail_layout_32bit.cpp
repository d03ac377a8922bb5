// Compiled with -m32 -fsyntax-only: StoreMessage has the mail library's 32-bit layout.
#include <cstddef>

#include "pim/mail.h"

using kova::pim::StoreMessage;

static_assert(sizeof(void *) == 4, "compile this file for a 32-bit target");
static_assert(sizeof(StoreMessage) == 48);
static_assert(offsetof(StoreMessage, Flags) == 4);
static_assert(offsetof(StoreMessage, BodyLength) == 12);
static_assert(offsetof(StoreMessage, Date) == 16);
static_assert(offsetof(StoreMessage, Body) == 36);
static_assert(offsetof(StoreMessage, Id) == 40);
