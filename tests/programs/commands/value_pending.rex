/* VALUE without a selector is not in this build yet */
say 'with a selector:' (length(value('PATH',,'ENVIRONMENT')) > 0)
say value('X')
