#pragma once
// Control ids of the About window; the tests find the controls by them.
namespace vexlo::about_ids {
enum : int {
    Image1 = 300,
    iVer = 301,
    lVer = 302,
    btOk = 303,
};
}
