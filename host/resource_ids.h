#pragma once

// Resources of Trellan.exe (also read by the resource compiler).
#define IDI_TRELLAN 101
#define IDI_TRELLAN_LARGE 102
#define IDD_MANAGE_PLUGINS 103

// Controls of the "Trellan Settings" dialog.
#define IDC_PLUGIN_LIST 1000
#define IDC_ROTATE 1001
#define IDC_STATIC_ICON 1002
#define IDC_ROTATE_SECONDS 1003
#define IDC_STATIC_PLUGIN 1004
#define IDC_PLUGIN_STATUS 1008
#define IDC_PLUGIN_LOCATION 1009
#define IDC_PLUGIN_VERSION 1010
