# Native build of the platform-free units: address and undefined-behaviour sanitizers on everything.
add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer -g)
add_link_options(-fsanitize=address,undefined)
# Coverage and comparison hooks in every unit, so that the fuzz targets are led by the code they
# feed; in the other programs the sanitizer runtime's hooks do nothing.
add_compile_options(-fsanitize=fuzzer-no-link)
