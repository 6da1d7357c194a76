#pragma once
#define IDI_APP 101
#define IDC_TEXT1 1001
#define IDC_LABEL1 1002
#define IDC_COMMAND1 1003
#define IDC_COMMAND2 1004
#define IDC_CHECK1 1005
