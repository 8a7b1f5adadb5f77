#include <gtest/gtest.h>

// Tests to be written.
