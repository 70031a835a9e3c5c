// Resource and control IDs.
#pragma once

// Dialogs
#define IDD_ABOUTBOX 100
#define IDD_MORVA_DIALOG 102
#define IDD_CHAIN 110
#define IDD_PINS 112
#define IDD_SVF 114
#define IDD_BOARD 130

// Strings
#define IDS_ABOUTBOX 101
#define IDS_SAVETRACE 103
#define IDS_ERROR_CAPTION 104
#define IDS_NEED_GIVEIO 105
#define IDS_CHOOSE_CABLE 106
#define IDS_OPEN_ANYWAY 107
#define IDS_ABOUT_CABLE 108
#define IDS_SCANCHAIN 109
#define IDS_WHOLE_CHAIN 111
#define IDS_EXTEST_WARNING 113
#define IDS_SAVESVF 115
#define IDS_PLAYSVF 116
#define IDS_SVF_RUN 117
#define IDS_PULSESRST 118

// System menu commands
#define IDM_ABOUTBOX 0x0010
#define IDM_SAVETRACE 0x0020
#define IDM_SCANCHAIN 0x0030
#define IDM_SAVESVF 0x0040
#define IDM_PLAYSVF 0x0050
#define IDM_PULSESRST 0x0060

// About box
#define IDC_ABOUT_CABLE 1044

// Chain window
#define IDC_CHAIN_SCAN 1050
#define IDC_CHAIN_IRLEN 1051
#define IDC_CHAIN_LIST 1052
#define IDC_CHAIN_PROBLEM 1053
#define IDC_CHAIN_BSDL 1054
#define IDC_CHAIN_PINS 1055
#define IDC_CHAIN_BOARD 1056

// Pin view
#define IDC_PINS_MODE 1060
#define IDC_PINS_LIST 1061
#define IDC_PINS_READ 1062
#define IDC_PINS_REPEAT 1063
#define IDC_PINS_HIGH 1064
#define IDC_PINS_LOW 1065
#define IDC_PINS_OFF 1066
#define IDC_PINS_SAFE 1067
#define IDC_PINS_LEAVE 1068

// Icons
#define IDR_MAINFRAME 128

// Main dialog: state buttons
#define IDC_TEST_LOGIC_RESET 1000
#define IDC_RUN_TEST_IDLE 1001
#define IDC_SELECT_DR 1002
#define IDC_SELECT_IR 1003
#define IDC_CAPTURE_DR 1004
#define IDC_SHIFT_DR 1005
#define IDC_EXIT1_DR 1006
#define IDC_PAUSE_DR 1007
#define IDC_EXIT2_DR 1008
#define IDC_UPDATE_DR 1009
#define IDC_CAPTURE_IR 1010
#define IDC_SHIFT_IR 1011
#define IDC_EXIT1_IR 1012
#define IDC_PAUSE_IR 1013
#define IDC_EXIT2_IR 1014
#define IDC_UPDATE_IR 1015
#define IDC_SHIFT_DR_1 1036
#define IDC_EXIT1_DR_1 1037
#define IDC_SHIFT_IR_1 1038
#define IDC_EXIT1_IR_1 1039

// Main dialog: hidden pin controls
#define IDC_TCK 1018
#define IDC_TMS 1020
#define IDC_TDI 1021
#define IDC_TDO 1022

// Main dialog: value lists, SEND buttons and the value display
#define IDC_DR_VALUE 1023
#define IDC_IR_VALUE 1024
#define IDC_SEND_DR 1025
#define IDC_SEND_IR 1026
#define IDC_VALUE_EDIT 1043
#define IDC_DEVICE 1042

// Main dialog: history and trace rows
#define IDC_HISTORY 1027
#define IDC_TRACE_NAME1 1028
#define IDC_TRACE_TMS 1029
#define IDC_TRACE_TDI 1030
#define IDC_TRACE_TDO 1031
#define IDC_TRACE_NAME2 1032
#define IDC_TRACE_NAME3 1033
#define IDC_TITLE 1040

// Dialog initialisation data (resource type)
#define RT_DLGINIT_DATA 240

// SVF steps
#define IDC_SVF_COMMAND 1070
#define IDC_SVF_TDO 1071
#define IDC_SVF_STATUS 1072
#define IDC_SVF_STEP 1073
#define IDC_SVF_CLOCK 1074
#define IDC_SVF_RUN 1075

// The board test's report
#define IDC_BOARD_SUMMARY 1080
#define IDC_BOARD_LIST 1081
