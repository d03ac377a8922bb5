// Placeholder until the appointment conversion lands.
#include "store/appointment.h"

namespace kova::store {

void pol_PutAppointment(pim::Appointment &, CalendarRecord &) {}
void pol_GetAppointment(pim::Appointment &, CalendarRecord &) {}

}  // namespace kova::store
