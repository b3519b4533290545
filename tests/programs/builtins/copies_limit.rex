/* A COPIES result over 500000000 characters is the memory-full report and error 5 */
say length(copies('ab', 10))
x = copies('abc', 999999999)
say 'not reached'
