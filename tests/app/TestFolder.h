#pragma once
// The app tests' name for the shared temporary folder (tests/support/TempFolder.h).

#include "support/TempFolder.h"

using TestFolder = vellumet_test::TempFolder;
