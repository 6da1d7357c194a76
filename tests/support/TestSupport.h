#pragma once
#include <windows.h>
#include <string>

std::wstring CurrentTestName();
