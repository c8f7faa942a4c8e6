# Builds everything (libraries, program, tests) with the sanitizers named in PARANDEL_SANITIZE,
# a comma-separated list handed to -fsanitize: "address,undefined" or "thread". Any finding
# aborts the program (no recovery), so a report fails the test that caused it.
set(PARANDEL_SANITIZE "" CACHE STRING
    "Sanitizers for every target, e.g. address,undefined or thread (empty: none)")

if(PARANDEL_SANITIZE)
  add_compile_options(-fsanitize=${PARANDEL_SANITIZE} -fno-sanitize-recover=all
                      -fno-omit-frame-pointer -g)
  add_link_options(-fsanitize=${PARANDEL_SANITIZE})
endif()
