// A loadable library that is not a device plug-in: it has no get_providers.
extern "C" int not_a_plugin_marker() { return 42; }
