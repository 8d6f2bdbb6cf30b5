#include "textUtil/textUtil.h"

#include <cstring>

int startswith(const char *prefix, const char *str) {
    if (prefix == nullptr || str == nullptr) return -1;
    return std::strncmp(prefix, str, std::strlen(prefix)) == 0 ? 1 : 0;
}

int calculBgr(const char *str) {
    int count = 0;
    for (; *str != '\0'; ++str) {
        switch (*str) {
            case 'b': case 'B': count += 1; break;
            case 'g': case 'G': count += 10; break;
            case 'r': case 'R': count += 100; break;
            default: break;
        }
    }
    return count;
}
