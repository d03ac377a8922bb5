// Appointments: a VEVENT record onto a PIM appointment and back, with recurrence and
// exceptions, attendees and the reminder.
#pragma once

#include "kova/kova.h"
#include "pim/outlook.h"

namespace kova::store {

void pol_PutAppointment(pim::Appointment &appointment, CalendarRecord &record);
// Fills a zeroed record.
void pol_GetAppointment(pim::Appointment &appointment, CalendarRecord &record);

}  // namespace kova::store
