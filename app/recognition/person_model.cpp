#include "app/recognition/person_model.h"

namespace recognition {

PersonModelSortedList PersonModelList;

}  // namespace recognition
