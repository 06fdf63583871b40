// Shared by the resource scripts of the program and of its language modules.
#pragma once
#include <winresrc.h>
