# The installation: cmake --install into a temporary prefix; its desktop entry and AppStream
# metadata must validate and its command must start the launcher in the program folder.
if(TARGET Game AND TARGET Puzzle)
    add_test(NAME install_check COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/install_check.sh ${CMAKE_BINARY_DIR})
endif()
