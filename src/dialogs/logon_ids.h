#pragma once
// Control ids of the logon window; the tests find the controls by them.
namespace vexlo::logon_ids {
enum : int {
    Image1 = 100,
    Image2 = 101,
    Label1 = 102,
    Label3 = 103,
    eName = 104,
    Label2 = 105,
    ePass = 106,
    btOk = 107,
    btCancel = 108,
};
}
