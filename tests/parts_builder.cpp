#include "parts_builder.h"
