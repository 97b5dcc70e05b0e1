// The player program: opens the window and plays the work named on the command line.
#pragma once

namespace narvo {

int PlayerMain(int argc, char** argv);

} // namespace narvo
