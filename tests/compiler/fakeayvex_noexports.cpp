// A library of the converter's name that lacks its exports.
extern "C" int ayvexSomethingElse() {
    return 0;
}
