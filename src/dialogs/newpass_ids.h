#pragma once
// Control ids of the new user name and password dialog; the tests find the controls by them.
namespace vexlo::newpass_ids {
enum : int {
    lUser = 200,
    eUser = 201,
    lPass1 = 202,
    ePass1 = 203,
    lPass2 = 204,
    ePass2 = 205,
    btOK = 206,
    btCancel = 207,
};
}
