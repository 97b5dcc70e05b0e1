// The player's entry point: narvo [WORK]
#include "app/player_main.h"

int main(int argc, char** argv) { return narvo::PlayerMain(argc, argv); }
