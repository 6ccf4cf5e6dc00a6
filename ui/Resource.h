// Resource ids shared by the resource script and the code.
#pragma once

#define IDI_TOVRANE 1  // the program's icon: the exe's and both windows'
