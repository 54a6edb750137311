# Copies a text file with Windows line ends:  cmake -DTEXT=... -DOUT=... -P windows_text.cmake
# The text is taken as one string, never as a list of lines, so that backslashes and
# semicolons in it stay as they are.
file(READ ${TEXT} text)
string(REPLACE "\r\n" "\n" text "${text}")
string(REPLACE "\n" "\r\n" text "${text}")
file(WRITE ${OUT} "${text}")
