/* Decodes a stream through the installed C interface and compares it with
 * its reference PCM (16-bit little-endian) within 1 LSB: check IN.bit IN.pcm. */
#include <corvina/corvina.h>
#include <stdio.h>
#include <stdlib.h>

int main(int argc, char** argv) {
    corvina_handle* handle = argc == 3 ? corvina_open_file(argv[1]) : NULL;
    FILE* reference = argc == 3 ? fopen(argv[2], "rb") : NULL;
    if (handle == NULL || reference == NULL) {
        return 1;
    }
    int16_t pcm[2304];
    size_t nRead = 0, nSamples = 0;
    int result, worst = 0;
    while ((result = corvina_read(handle, pcm, 2304, &nRead)) == CORVINA_OK ||
           result == CORVINA_NEW_FORMAT) {
        for (size_t i = 0; i < nRead; ++i) {
            const int low = fgetc(reference), high = fgetc(reference);
            if (high == EOF) {
                return 1;
            }
            const int diff = abs(pcm[i] - (int16_t)(low | (high << 8)));
            worst = diff > worst ? diff : worst;
        }
        nSamples += nRead;
    }
    printf("C: %zu samples, worst difference %d\n", nSamples, worst);
    corvina_close(handle);
    fclose(reference);
    return result == CORVINA_DONE && nSamples > 0 && worst <= 1 ? 0 : 1;
}
