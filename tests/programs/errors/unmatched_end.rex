/* An END without a DO or SELECT */
say 'not reached'
x = 1
end
