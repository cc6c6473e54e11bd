/* Decodes an MPEG audio Layer I or II file to a WAV file through libcorvina's
 * C interface: decode_to_wav IN OUT. */
#include <corvina/corvina.h>
#include <stdio.h>

static void put_le(FILE* out, unsigned long value, int bytes) {
    for (int i = 0; i < bytes; ++i)
        fputc((int)((value >> (8 * i)) & 0xFF), out);
}

/* The 44-byte header of a 16-bit PCM WAV file holding nBytes of samples. */
static void write_header(FILE* out, long rate, int channels, unsigned long nBytes) {
    fputs("RIFF", out);
    put_le(out, 36 + nBytes, 4);
    fputs("WAVEfmt ", out);
    put_le(out, 16, 4); /* format chunk length, then 1: integer PCM */
    put_le(out, 1, 2);
    put_le(out, (unsigned long)channels, 2);
    put_le(out, (unsigned long)rate, 4);
    put_le(out, (unsigned long)rate * (unsigned long)channels * 2, 4);
    put_le(out, (unsigned long)channels * 2, 2);
    put_le(out, 16, 2);
    fputs("data", out);
    put_le(out, nBytes, 4);
}

int main(int argc, char** argv) {
    if (argc != 3) {
        fprintf(stderr, "usage: %s IN OUT\n", argv[0]);
        return 2;
    }
    corvina_handle* handle = corvina_open_file(argv[1]);
    FILE* out = handle != NULL ? fopen(argv[2], "wb") : NULL;
    if (out == NULL) {
        fprintf(stderr, "%s: cannot open %s\n", argv[0], handle == NULL ? argv[1] : argv[2]);
        corvina_close(handle);
        return 1;
    }
    long rate = 0;
    int channels = 0, result;
    unsigned long nBytes = 0;
    int16_t pcm[4096];
    size_t nRead = 0;
    write_header(out, 0, 0, 0);
    while ((result = corvina_read(handle, pcm, 4096, &nRead)) >= 0 && result != CORVINA_DONE) {
        if (result == CORVINA_NEW_FORMAT)
            corvina_format(handle, &rate, &channels);
        for (size_t i = 0; i < nRead; ++i)
            put_le(out, (unsigned long)(uint16_t)pcm[i], 2);
        nBytes += (unsigned long)nRead * 2;
    }
    rewind(out); /* the sizes are known now */
    write_header(out, rate, channels, nBytes);
    fclose(out);
    corvina_close(handle);
    if (result < 0)
        fprintf(stderr, "%s: %s\n", argv[1], corvina_strerror(result));
    return result < 0 ? 1 : 0;
}
