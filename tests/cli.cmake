marlo_gtest(cli_tests LABEL cli
    SOURCES cli/CliTest.cpp cli/BookScanTest.cpp ${CMAKE_SOURCE_DIR}/cli/BookSearch.cpp
    LIBS marlo_core)
target_compile_definitions(cli_tests PRIVATE MARLO_CLI_PATH="$<TARGET_FILE:marlo-cli>")
add_dependencies(cli_tests marlo-cli)
