# A client stand-in that says one long chat line, for the server intake figure of chat.sh.
add_executable(chat_line_sender ${CMAKE_CURRENT_SOURCE_DIR}/chat_line_sender.cpp)
target_link_libraries(chat_line_sender PRIVATE tgakit_netio)
tgakit_warnings(chat_line_sender)
