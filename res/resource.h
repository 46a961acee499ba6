// Fixed resource numbers, shared by the resource script and the core.
#pragma once

#define IDI_KELMOR 107
#define IDI_SMALL 108
#define IDI_PROGRAM 138
#define IDM_MAIN 109
#define IDA_MAIN 109

#define IDD_INFO 103
#define IDC_INFO_VERSION 1001
#define IDC_INFO_DATE 1002
#define IDC_INFO_WEB 1003
#define IDC_INFO_MAIL 1004
#define IDC_INFO_MAKER 1005
