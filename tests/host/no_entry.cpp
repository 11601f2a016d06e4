// A shared library that is not a plug-in: it exports no GetActorInfo.
extern "C" __attribute__((visibility("default"))) int NotAnActor() { return 1; }
