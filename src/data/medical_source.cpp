#include "data/medical_source.h"

namespace {
medical_source* installed_source = nullptr;
}

void set_medical_source(medical_source* source) { installed_source = source; }
medical_source* current_medical_source() { return installed_source; }
