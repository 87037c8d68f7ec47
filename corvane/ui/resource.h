// Identifiers of the window's resources and controls.
#pragma once

#define IDI_CORVANE 1
#define IDD_MAIN 100
#define IDD_PREVIEW 101
#define IDB_IMAGE1 201
#define IDB_IMAGE2 202
#define IDB_IMAGE3 203
// The same pictures drawn at 150% and 200% (144 and 192 DPI).
#define IDB_IMAGE1_150 211
#define IDB_IMAGE2_150 212
#define IDB_IMAGE3_150 213
#define IDB_IMAGE1_200 221
#define IDB_IMAGE2_200 222
#define IDB_IMAGE3_200 223

#define IDC_LABEL1 1001
#define IDC_LABEL3 1002
#define IDC_IMAGE1 1003
#define IDC_IMAGE2 1004
#define IDC_IMAGE3 1005
#define IDC_LINE1 1006
#define IDC_CHKWINDOM 1010
#define IDC_LSTDOMAINS 1011
#define IDC_CMDDRIVES 1012
#define IDC_LABEL6 1013
#define IDC_LABEL7 1014
#define IDC_LSTVOLUMES 1015
#define IDC_STATUS 1016
#define IDC_LABEL2 1020
#define IDC_TXTSHARENAME 1021
#define IDC_LABEL4 1022
#define IDC_LABEL5 1023
#define IDC_TXTUSERNAME 1024
#define IDC_CMDUSERBROWSE 1025
#define IDC_CHKACCESS0 1030
#define IDC_CHKACCESS1 1031
#define IDC_CHKACCESS2 1032
#define IDC_CMDADD 1040
#define IDC_CMDDEL 1041
#define IDC_CMDPREVIEW 1045
#define IDC_PREVIEW_TEXT 1050
#define IDC_PREVIEW_COPY 1051
#define IDC_PREVIEW_SAVE 1052
#define IDC_COMMAND4 1042
#define IDC_CMDLOG 1043
#define IDC_COMMAND3 1044
// "Exit" is the window's cancel button: Esc closes the window too.
#define IDC_CANCELBUTTON 2
