// resource.h: identifiers of the screensaver's resources and of its dialog's controls.
#pragma once

#define IDI_SAVER 100
#define IDB_LOGO 114
#define IDD_CONFIG 2003

#define IDC_BACK_NONE 1030
#define IDC_BACK_DESKTOP 1031
#define IDC_BACK_BITMAP 1033
#define IDC_MOVE_NONE 1037
#define IDC_BITMAP_BROWSE 1038
#define IDC_MOVE_REFLECT 1039
#define IDC_MOVE_BOUNCE 1040
#define IDC_MOVE_WANDER 1041
#define IDC_MODEL_BROWSE 1043
#define IDC_MODEL_SCALE 1044
#define IDC_LIGHT_BROWSE 1051
#define IDC_MOVE_SPEED 1053
#define IDC_SPIN_X 1055
#define IDC_SPIN_Y 1056
#define IDC_SPIN_Z 1057
#define IDC_SPIN_RANDOM 1058
#define IDC_MOVE_RANDOM 1059
#define IDC_BITMAP_FILE 1060
#define IDC_MODEL_FILE 1061
#define IDC_LIGHT_FILE 1062
#define IDC_BITMAP_RANDOM 1063
#define IDC_MODEL_RANDOM 1065
#define IDC_LIGHT_RANDOM 1066
#define IDC_SPIN_X_SPEED 1071
#define IDC_SPIN_Y_SPEED 1072
#define IDC_SPIN_Z_SPEED 1073
#define IDC_CHANGE 1074
#define IDC_CHANGE_TIME 1075
#define IDC_TILE 1078
#define IDC_CENTRE 1079
#define IDC_WEBSITE 1080
#define IDC_HELP_BUTTON 1082
#define IDC_EDITOR 1083

// The maker's web site: the text on button 1080 and the address it opens.
#define SAVER_WEBSITE_TEXT "www.drovelkant.example/quirla"
#define SAVER_WEBSITE_ADDRESS "http://www.drovelkant.example/quirla"
