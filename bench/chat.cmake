# A client stand-in that says one long chat line, for the server intake figure of chat.sh.
add_executable(chatLineSender ${CMAKE_CURRENT_SOURCE_DIR}/chatLineSender.cpp)
target_link_libraries(chatLineSender PRIVATE tgakit_chatWire)
tgakit_warnings(chatLineSender)
