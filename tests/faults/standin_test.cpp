#include "fault_support.h"
#include <gtest/gtest.h>
