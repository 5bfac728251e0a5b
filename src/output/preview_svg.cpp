#include "output/preview_svg.h"
