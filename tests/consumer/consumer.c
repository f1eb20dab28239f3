/* A program outside the KORU32 tree, built against an installed library (or
 * the library's sources pulled in with add_subdirectory): it prints the
 * loaded library's version and the text of a refused call's result code, and
 * exits with 0 only when header and library agree and the call behaved. */
#include <koru32.h>

#include <stdio.h>
#include <string.h>

int main(void) {
    int32_t version = -1;
    if (GetLibraryVersion(&version) != KORU32_OK) return 1;
    printf("KORU32 library %d.%d.%d, header %d.%d.%d\n", (int)(version / 10000), (int)(version / 100 % 100),
           (int)(version % 100), KORU32_VERSION_MAJOR, KORU32_VERSION_MINOR, KORU32_VERSION_PATCH);

    /* Link 32 does not exist in any net: the library names the reason. */
    const int16_t net = 0, link = 32;
    const uint16_t type = KORU32_NET_BP_PLAIN;
    if (MakeNet(&net, &type) != KORU32_OK) return 1;
    const int16_t code = KillLink(&net, &link);
    const char* text = GetResultText(&code);
    printf("KillLink of link 32: code %d, %s\n", code, text);
    KillNet(&net);

    if (version != KORU32_VERSION_NUMBER) {
        fprintf(stderr, "the loaded library is not the one of the header\n");
        return 1;
    }
    return code == KORU32_ERR_BAD_LINK_NUMBER && strcmp(text, "link number outside 0..31") == 0 ? 0 : 1;
}
