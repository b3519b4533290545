/* EXIT with a value that is not a number ends with status 0 */
say 'before'
exit 'done'
