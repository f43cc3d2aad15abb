#pragma once

class frmVantrel;
class frmDetails;
class frmChangePassword;
class frmYesNo;
class frmCRViewer;

// The program-wide references to the five window objects. Each is created on
// first use and lives until the program ends.
class Forms final
{
public:
    static ::frmVantrel& frmVantrel();
    static ::frmDetails& frmDetails();
    static ::frmChangePassword& frmChangePassword();
    static ::frmYesNo& frmYesNo();
    static ::frmCRViewer& frmCRViewer();

    // Destroys every window object: at program end, and between tests.
    static void destroyAll();
};
