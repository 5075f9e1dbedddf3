#pragma once

class CDialog;
class CRadioDlg;

// The main window's four tool windows (options, player, short keys, task
// list), made for the button that opens them: given the core, created
// modeless, shown, freeing themselves when they close. Null for another id.
CDialog* CreateToolWindow(CRadioDlg& owner, int nButton);
