// Tasks: a VTODO record onto a PIM task and back, with due dates, status, priority,
// recurrence and the reminder.
#pragma once

#include "kova/kova.h"
#include "pim/outlook.h"

namespace kova::store {

void pol_PutTask(pim::Task &task, CalendarRecord &record);
// Fills a zeroed record.
void pol_GetTask(pim::Task &task, CalendarRecord &record);

}  // namespace kova::store
