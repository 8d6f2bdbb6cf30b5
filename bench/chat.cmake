# A client stand-in that says one long chat line, for the server intake figure of chat.sh.
add_executable(chatLineSender ${CMAKE_CURRENT_SOURCE_DIR}/chatLineSender.cpp)
target_link_libraries(chatLineSender PRIVATE tgakit_chatWire)
tgakit_warnings(chatLineSender)

# A server stand-in whose image stalls while 64 MiB of info replies arrive, for the client's
# peak memory figure of chatReplies.sh.
add_executable(chatStalledServer ${CMAKE_CURRENT_SOURCE_DIR}/chatStalledServer.cpp)
target_link_libraries(chatStalledServer PRIVATE tgakit_chatWire)
tgakit_warnings(chatStalledServer)
