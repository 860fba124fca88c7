#pragma once

#define IDI_MAIN 101
#define IDR_ACCELERATORS 111
