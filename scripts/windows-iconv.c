/*
 * A small iconv for the Windows build, on top of the system's code pages.
 *
 * MinGW has no iconv, and without one libxml2 reads only UTF-8, UTF-16,
 * ASCII and Latin-1: a YML catalogue declared as windows-1251 or KOI8-R
 * would be refused. This converts between UTF-8 and any single-byte code
 * page that Windows knows (windows-125x, KOI8-R/U, ISO-8859-x, cp866, ...).
 * Anything else, multi-byte code pages included, is refused at iconv_open
 * with EINVAL, so the caller reports the encoding as unsupported instead of
 * reading it wrongly.
 *
 * windows-toolchain.sh builds it into libiconv.a with iconv.h beside it.
 */
#include <windows.h>
#include <errno.h>
#include <stdlib.h>
#include <string.h>
#include "iconv.h"

enum { kInvalid = 0xFFFF };

struct fidmora_iconv {
    int decode;                 /* 1: code page to UTF-8, 0: UTF-8 to code page */
    unsigned short table[256];  /* byte -> UTF-16 unit, kInvalid where undefined */
};

/* Lower case, without '-', '_', ' ' and '.': "Windows-1251" -> "windows1251". */
static void normalise(const char *name, char *out, size_t size)
{
    size_t n = 0;
    for (; *name && n + 1 < size; ++name) {
        char c = *name;
        if (c == '-' || c == '_' || c == ' ' || c == '.')
            continue;
        if (c >= 'A' && c <= 'Z')
            c = (char)(c - 'A' + 'a');
        out[n++] = c;
    }
    out[n] = 0;
}

/* The number after PREFIX when NAME is PREFIX followed by digits only. */
static int number_after(const char *name, const char *prefix)
{
    size_t len = strlen(prefix);
    if (strncmp(name, prefix, len) != 0 || !name[len])
        return -1;
    int value = 0;
    for (const char *p = name + len; *p; ++p) {
        if (*p < '0' || *p > '9' || value > 100000)
            return -1;
        value = value * 10 + (*p - '0');
    }
    return value;
}

#define UTF8_PAGE 65001u

/* The code page of an encoding name, 0 when unknown. */
static unsigned code_page(const char *encoding)
{
    char name[64];
    int n;
    normalise(encoding, name, sizeof name);
    if (!strcmp(name, "utf8"))
        return UTF8_PAGE;
    if (!strcmp(name, "koi8r"))
        return 20866;
    if (!strcmp(name, "koi8u") || !strcmp(name, "koi8ru"))
        return 21866;
    if (!strcmp(name, "ascii") || !strcmp(name, "usascii"))
        return 20127;
    if (!strcmp(name, "latin1"))
        return 28591;
    if ((n = number_after(name, "iso8859")) >= 1 && n <= 15)
        return n == 11 ? 874u : 28590u + (unsigned)n;
    if ((n = number_after(name, "windows")) > 0 || (n = number_after(name, "cp")) > 0
        || (n = number_after(name, "ibm")) > 0 || (n = number_after(name, "xcp")) > 0)
        return (unsigned)n;
    return 0;
}

static int single_byte(unsigned page)
{
    CPINFO info;
    return page != UTF8_PAGE && IsValidCodePage(page) && GetCPInfo(page, &info)
        && info.MaxCharSize == 1;
}

iconv_t iconv_open(const char *tocode, const char *fromcode)
{
    if (!tocode || !fromcode) {
        errno = EINVAL;
        return (iconv_t)-1;
    }
    unsigned to = code_page(tocode), from = code_page(fromcode);
    int decode;
    unsigned page;
    if (to == UTF8_PAGE && single_byte(from)) {
        decode = 1;
        page = from;
    } else if (from == UTF8_PAGE && single_byte(to)) {
        decode = 0;
        page = to;
    } else {
        errno = EINVAL;
        return (iconv_t)-1;
    }
    struct fidmora_iconv *cd = calloc(1, sizeof *cd);
    if (!cd) {
        errno = ENOMEM;
        return (iconv_t)-1;
    }
    cd->decode = decode;
    for (int b = 0; b < 256; ++b) {
        char byte = (char)b;
        WCHAR wide[2];
        int got = MultiByteToWideChar(page, MB_ERR_INVALID_CHARS, &byte, 1, wide, 2);
        cd->table[b] = (got == 1 && wide[0] != kInvalid) ? wide[0] : kInvalid;
    }
    return cd;
}

int iconv_close(iconv_t cd)
{
    if (cd == (iconv_t)-1 || !cd) {
        errno = EBADF;
        return -1;
    }
    free(cd);
    return 0;
}

/* Decodes one UTF-8 sequence: its length, 0 when cut short, -1 when invalid. */
static int utf8_decode(const unsigned char *in, size_t left, unsigned *code)
{
    unsigned c = in[0];
    int len;
    unsigned min;
    if (c < 0x80) {
        *code = c;
        return 1;
    }
    if ((c & 0xE0) == 0xC0) { len = 2; min = 0x80; c &= 0x1F; }
    else if ((c & 0xF0) == 0xE0) { len = 3; min = 0x800; c &= 0x0F; }
    else if ((c & 0xF8) == 0xF0) { len = 4; min = 0x10000; c &= 0x07; }
    else return -1;
    for (int i = 1; i < len; ++i) {
        if ((size_t)i >= left)
            return 0;
        if ((in[i] & 0xC0) != 0x80)
            return -1;
        c = (c << 6) | (in[i] & 0x3F);
    }
    if (c < min || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
        return -1;
    *code = c;
    return len;
}

size_t iconv(iconv_t cd, char **inbuf, size_t *inleft, char **outbuf, size_t *outleft)
{
    if (cd == (iconv_t)-1 || !cd) {
        errno = EBADF;
        return (size_t)-1;
    }
    /* No shift states: a reset or a flush has nothing to do. */
    if (!inbuf || !*inbuf)
        return 0;
    const struct fidmora_iconv *conv = cd;
    const unsigned char *in = (const unsigned char *)*inbuf;
    unsigned char *out = (unsigned char *)*outbuf;
    size_t inl = *inleft, outl = *outleft;
    size_t result = 0;
    while (inl > 0) {
        if (conv->decode) {
            unsigned c = conv->table[*in];
            if (c == kInvalid) {
                errno = EILSEQ;
                result = (size_t)-1;
                break;
            }
            size_t need = c < 0x80 ? 1 : c < 0x800 ? 2 : 3;
            if (outl < need) {
                errno = E2BIG;
                result = (size_t)-1;
                break;
            }
            if (need == 1) {
                out[0] = (unsigned char)c;
            } else if (need == 2) {
                out[0] = (unsigned char)(0xC0 | (c >> 6));
                out[1] = (unsigned char)(0x80 | (c & 0x3F));
            } else {
                out[0] = (unsigned char)(0xE0 | (c >> 12));
                out[1] = (unsigned char)(0x80 | ((c >> 6) & 0x3F));
                out[2] = (unsigned char)(0x80 | (c & 0x3F));
            }
            out += need;
            outl -= need;
            ++in;
            --inl;
        } else {
            unsigned code = 0;
            int len = utf8_decode(in, inl, &code);
            if (len <= 0) {
                errno = len == 0 ? EINVAL : EILSEQ;
                result = (size_t)-1;
                break;
            }
            int byte = -1;
            for (int b = 0; b < 256 && code < kInvalid; ++b) {
                if (conv->table[b] == code) {
                    byte = b;
                    break;
                }
            }
            if (byte < 0) {
                errno = EILSEQ;
                result = (size_t)-1;
                break;
            }
            if (outl < 1) {
                errno = E2BIG;
                result = (size_t)-1;
                break;
            }
            *out++ = (unsigned char)byte;
            --outl;
            in += len;
            inl -= (size_t)len;
        }
    }
    *inbuf = (char *)in;
    *inleft = inl;
    *outbuf = (char *)out;
    *outleft = outl;
    return result;
}
