#include "support/WindowTestMain.h"

int main(int argc, char** argv) { return testutil::RunWindowTests(argc, argv); }
