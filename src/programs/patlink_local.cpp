#include "run/run.h"

int main(int argc, char** argv) { return patlink::Main(patlink::kPatlinkLocal, argc, argv); }
