// A module that loads but is no toolkit module: it lacks user_initialize_plus.
extern "C" int notAToolkitEntry() {
    return 0;
}
