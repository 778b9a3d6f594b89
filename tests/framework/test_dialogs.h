// Templates and control ids of the framework's test dialogs.
#pragma once

#define IDD_FW_BASIC 200
#define IDD_FW_CHECKLIST 201
#define IDD_FW_NO_SUCH_TEMPLATE 299

#define IDC_FW_BUTTON 1001
#define IDC_FW_OWNERDRAW 1002
#define IDC_FW_REFLECTED 1003
#define IDC_FW_STATIC 1004
#define IDC_FW_EDIT 1005
#define IDC_FW_LIST 1010
