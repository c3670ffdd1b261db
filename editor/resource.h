// resource.h: identifiers of the editor's resources: icons, cursors, the logo, the menu and its
// commands, the accelerators, the tool windows and boxes with their controls.
#pragma once

#define IDI_EDITOR 159
#define IDI_REMOVE 161
#define IDI_LIGHTING 162
#define IDI_APPLY 164
#define IDI_DELETE 165
#define IDI_TEXTURE 166
#define IDI_COLOUR 167

#define IDC_CUR_ROTATE 116
#define IDC_CUR_COLOUR_AREA 150
#define IDC_CUR_SELECT_AREA 151
#define IDC_CUR_SELECT 152
#define IDC_CUR_PAINT 153
#define IDC_CUR_SCALE_TEXTURE 154
#define IDC_CUR_MOVE_TEXTURE 155

#define IDB_LOGO 108
#define IDR_MENU 101
#define IDR_ACCELERATORS 144

// Tool windows and boxes.
#define IDD_LIBRARY 110
#define IDD_LIGHTING 118
#define IDD_EDIT_MODE 119
#define IDD_DISPLAY 121
#define IDD_COLOUR 125
#define IDD_ABOUT 149
#define IDD_MODEL_INFO 157

// Edit-mode window.
#define IDC_EDIT_TEXTURE 1042
#define IDC_EDIT_COLOUR 1043
#define IDC_EDIT_LIGHTING 1044
// Display-method window.
#define IDC_VIEW_GROUP 1048
#define IDC_VIEW_COLOUR 1054
#define IDC_VIEW_TEXTURE 1055
#define IDC_VIEW_LIGHTING 1056
#define IDC_VIEW_SMOOTH 1057
#define IDC_BACKGROUND_CHANGE 1095
#define IDC_BACKGROUND_SWATCH 1096
// Texture-library window.
#define IDC_TEXTURE_PREVIEW 1008
#define IDC_TEXTURE_DELETE 1043
#define IDC_TEXTURE_APPLY 1046
#define IDC_TEXTURE_REMOVE 1047
#define IDC_TEXTURE_GROUP 1077
#define IDC_WRAP_MODE 1079
#define IDC_TEXTURE_LIST 1083
// Colour window.
#define IDC_COLOUR_CHANGE 1053
#define IDC_COLOUR_SWATCH 1075
// Lighting window.
#define IDC_AMBIENT_CHANGE 1046
#define IDC_DIRECTIONAL_CHANGE 1048
#define IDC_HIGHLIGHT 1058
#define IDC_SPREAD 1059
#define IDC_AMBIENT_SWATCH 1071
#define IDC_DIRECTIONAL_SWATCH 1072
#define IDC_LIGHTING_GROUP 1081
#define IDC_HIGHLIGHT_GROUP 1084
// Model Info box.
#define IDC_INFO_TEXTURES 1085
#define IDC_INFO_NAME 1086
#define IDC_INFO_TEXTURE_COUNT 1087
#define IDC_INFO_VERTICES 1088
#define IDC_INFO_FACETS 1089
#define IDC_INFO_NORMALS 1091
// About box.
#define IDC_WEBSITE 1097

// Menu commands.
#define IDM_OPEN_TEXTURE 40003
#define IDM_OPEN_LIGHTS 40014
#define IDM_SAVE_LIGHTS 40015
#define IDM_EXIT 40016
#define IDM_CONTENTS 40017
#define IDM_ABOUT 40018
#define IDM_SNAP 40019
#define IDM_REFRESH_TEXTURES 40025
#define IDM_COLOUR_ALL 40026
#define IDM_COPY_DISPLAY 40027
#define IDM_SELECT_ALL 40030
#define IDM_DESELECT_ALL 40031
#define IDM_SELECT_AREA 40032
#define IDM_COLOUR_AREA 40033
#define IDM_EDIT_COLOUR 40034
#define IDM_EDIT_TEXTURE 40035
#define IDM_EDIT_LIGHTING 40036
#define IDM_TOGGLE_COLOUR 40037
#define IDM_TOGGLE_TEXTURE 40038
#define IDM_TOGGLE_LIGHTING 40039
#define IDM_TOGGLE_SHADING 40040
#define IDM_SCREENSAVER 40041
#define IDM_TOGGLE_WRAP 40054
#define IDM_SAVE_KEY 40057
#define IDM_MODEL_INFO 40058
#define IDM_NEW 40059
#define IDM_OPEN 40060
#define IDM_SAVE_AS 40061
#define IDM_SAVE 40062
#define IDM_SAVE_AS_KEY 40063
#define IDM_UNDO 40064
#define IDM_REDO 40065
#define IDM_ZOOM_IN 40066
#define IDM_ZOOM_OUT 40067
#define IDM_ZOOM_FIT 40068
#define IDM_NEW_KEY 57600
#define IDM_OPEN_KEY 57601

// The maker's web site: the text on the About box's button and the address it opens.
#define EDITOR_WEBSITE_TEXT "www.drovelkant.example/quirla"
#define EDITOR_WEBSITE_ADDRESS "http://www.drovelkant.example/quirla"
