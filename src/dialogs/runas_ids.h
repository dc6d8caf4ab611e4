#pragma once
// Control ids of the Run As dialog; the tests find the controls by them.
namespace vexlo::runas_ids {
enum : int {
    lApp = 500,
    eApp = 501,
    sbStart = 502,
    lCmd = 503,
    eCmd = 504,
    Label1 = 505,
    cbServer = 506,
    Label2 = 507,
    cbUser = 508,
    lPass = 509,
    ePass1 = 510,
    btRun = 511,
    btCancel = 512,
};
}
