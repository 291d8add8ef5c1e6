// SPDX-License-Identifier: MIT
// Identifiers of the Windows program's resources and dialog controls, shared
// by the resource script and the C++ code.
#ifndef VARNOKET_RES_RESOURCE_IDS_H_
#define VARNOKET_RES_RESOURCE_IDS_H_

// Templates, icon and string.
#define IDD_MAIN_DIALOG 129
#define IDD_ABOUT_BOX 100
#define IDI_VARNOKET 128
#define IDS_VARNOKET 128

// Controls of the main dialog. Clean and Exit are IDOK (1) and IDCANCEL (2),
// so Enter and Esc reach them through the dialog manager.
#define IDC_CLEAN 1
#define IDC_EXIT 2
#define IDC_ABOUT 57664
#define IDC_SOURCE_FOLDER 1000
#define IDC_DESTINATION_FOLDER 1001
#define IDC_BROWSE_SOURCE 1002
#define IDC_BROWSE_DESTINATION 1003

#endif  // VARNOKET_RES_RESOURCE_IDS_H_
