// Placeholder until the task conversion lands.
#include "store/task.h"

namespace kova::store {

void pol_PutTask(pim::Task &, CalendarRecord &) {}
void pol_GetTask(pim::Task &, CalendarRecord &) {}

}  // namespace kova::store
