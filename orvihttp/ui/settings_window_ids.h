#pragma once

// Dialog templates and control ids of the settings window, shared by its .rc
// file and its code (and by tests that drive the window).

#define IDD_SETTINGS_WINDOW 300
#define IDD_INFO_PAGE 301
#define IDD_SETTINGS_PAGE 302
#define IDD_EMPTY_PAGE 303
#define IDD_DIRECTORY_PAGE 304
#define IDD_STATISTICS_PAGE 305
#define IDD_HTTPS_DIALOG 306
#define IDD_ACCOUNTS_DIALOG 307
#define IDD_PERMISSIONS_DIALOG 308
// Log page template.
#define IDD_LOG_PAGE 1500

// Main window.
#define IDC_TABS 1000
#define IDC_APPLY 1001
#define IDC_HELP_BUTTON 1002

// Info page.
#define IDC_SERVER_STATUS 1100
#define IDC_START_SERVER 1101
#define IDC_STOP_SERVER 1102
#define IDC_UPTIME 1103
#define IDC_TOTAL_BANDWIDTH 1104
#define IDC_CLIENT_LIST 1105
#define IDC_CONNECTION_TIME 1106
#define IDC_CURRENT_ACTIVITY 1107
#define IDC_CLIENT_BANDWIDTH 1108
#define IDC_KICK_CLIENT 1109
#define IDC_BAN_CLIENT 1110

// Settings page.
#define IDC_PORT 1200
#define IDC_MAX_USERS 1201
#define IDC_MAX_DOWN 1202
#define IDC_AUTO_LOAD_INDEX 1203
#define IDC_DIR_VIEW 1204
#define IDC_LOG 1205
#define IDC_LOG_PATH 1206
#define IDC_LOG_PATH_BROWSE 1207
#define IDC_PHP_ENABLE 1208
#define IDC_PHP_PATH 1209
#define IDC_PHP_PATH_BROWSE 1210
#define IDC_BLACKLIST 1211
#define IDC_BLACKLIST_ADD 1212
#define IDC_BLACKLIST_REMOVE 1213
#define IDC_ADVERTISE_RANGES 1214
#define IDC_FOLDER_ARCHIVES 1215
#define IDC_PHP_MODE 1216

// Log page.
#define IDC_LOG_LIST 1501
#define IDC_CLEAR_LOG 1502
#define IDC_SAVE_LOG 1503
#define IDC_OPEN_SERVER_LOG 1504

// Directory page.
#define IDC_DIRECTORY_TREE 1300
#define IDC_DIRECTORY_ADD_FILES 1301
#define IDC_DIRECTORY_REMOVE 1302
#define IDC_DIRECTORY_CREATE 1303
#define IDC_DIRECTORY_IMPORT 1304
#define IDC_DIRECTORY_CLEAR 1305
// The field of the "New directory" prompt.
#define IDC_NEW_DIRECTORY_FIELD 666

// Statistics page.
#define IDC_STATS_PERIOD 1400
#define IDC_STATS_CONNECTIONS 1401
#define IDC_STATS_SUCCEEDED 1402
#define IDC_STATS_FAILED 1403
#define IDC_STATS_DOWNLOADED 1404
#define IDC_STATS_FILES_SENT 1405
#define IDC_STATS_FILES 1406

// The Settings page's HTTPS button and its dialog; the Info page's addresses.
#define IDC_HTTPS_BUTTON 1600
#define IDC_HTTPS_ENABLE 1601
#define IDC_HTTPS_PORT 1602
#define IDC_CERTIFICATE_FILE 1603
#define IDC_CERTIFICATE_BROWSE 1604
#define IDC_KEY_FILE 1605
#define IDC_KEY_BROWSE 1606
#define IDC_REDIRECT_TO_HTTPS 1607
#define IDC_CERTIFICATE_INFO 1608
#define IDC_SERVER_ADDRESSES 1609

// The Settings page's Accounts button and its dialog.
#define IDC_ACCOUNTS_BUTTON 1700
#define IDC_ACCOUNT_LIST 1701
#define IDC_ACCOUNT_NAME 1702
#define IDC_ACCOUNT_PASSWORD 1703
#define IDC_ACCOUNT_PASSWORD_AGAIN 1704
#define IDC_ACCOUNT_ADD 1705
#define IDC_ACCOUNT_SET_PASSWORD 1706
#define IDC_ACCOUNT_REMOVE 1707
#define IDC_ACCOUNT_MESSAGE 1708

// The Directory page's Permissions button and its dialog: a label, a choice
// and a names field per right, in the order see, upload, delete.
#define IDC_DIRECTORY_PERMISSIONS 1800
#define IDC_DIRECTORY_RENAME 1801
// The Directory page's "Uploads go to..." button and the line under the tree
// that names the selected folder's upload folder.
#define IDC_DIRECTORY_UPLOAD_FOLDER 1802
#define IDC_DIRECTORY_UPLOAD_LINE 1803
#define IDC_PERMISSION_LABEL_FIRST 1810
#define IDC_PERMISSION_CHOICE_FIRST 1820
#define IDC_PERMISSION_NAMES_FIRST 1830
#define IDC_PERMISSIONS_MESSAGE 1840

// The Info page's line about addresses locked out of signing in.
#define IDC_LOCKED_OUT 1900

// The field of the "Blacklist IP" prompt.
#define IDC_BLACKLIST_FIELD 667
