/* A negative EXIT value */
exit -1
